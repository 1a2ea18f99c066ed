/* A kit's program that tells it ran: C:\NAME.TXT (NAME its own file name without the extension)
   gets its path, its working directory and how many arguments it was given. */
#include <stdio.h>
#include <string.h>
#include <windows.h>

int main(int argc, char** argv) {
    char self[MAX_PATH] = "", dir[MAX_PATH] = "", report[MAX_PATH + 8];
    (void)argv;
    GetModuleFileNameA(NULL, self, sizeof self);
    GetCurrentDirectoryA(sizeof dir, dir);
    const char* name = strrchr(self, '\\');
    name = name != NULL ? name + 1 : self;
    snprintf(report, sizeof report, "C:\\%.*s.TXT", (int)strcspn(name, "."), name);
    FILE* out = fopen(report, "w");
    if (out == NULL)
        return 1;
    fprintf(out, "%s|%s|%d\n", self, dir, argc - 1);
    fclose(out);
    return 0;
}
