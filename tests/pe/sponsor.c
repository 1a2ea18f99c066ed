/* A sponsor's program: runs a while, then tells on C: where it ran and what it was given. */
#include <stdio.h>
#include <windows.h>

int main(int argc, char** argv) {
    char dir[MAX_PATH];
    Sleep(300);
    GetCurrentDirectoryA(sizeof dir, dir);
    FILE* out = fopen("C:\\SPONSOR.TXT", "w");
    if (out == NULL)
        return 1;
    fprintf(out, "%s|%d|%s|%s\n", dir, argc - 1, argc > 1 ? argv[1] : "", argc > 2 ? argv[2] : "");
    fclose(out);
    return 0;
}
