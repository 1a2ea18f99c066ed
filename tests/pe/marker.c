/* A kit's program that tells, after a while, on C:\NAME.TXT (NAME its own file name without the
   extension): its path, working directory and arguments, and what the wizard wrote: a profile
   value, a registry value, and the answer of a DLL the kit put in the system directory. */
#include <stdio.h>
#include <string.h>
#include <windows.h>

int main(int argc, char** argv) {
    char self[MAX_PATH] = "", dir[MAX_PATH] = "", report[MAX_PATH + 8], profile[128], value[128];
    DWORD size = sizeof value;
    Sleep(300);
    GetModuleFileNameA(NULL, self, sizeof self);
    GetCurrentDirectoryA(sizeof dir, dir);
    GetPrivateProfileStringA("Discador", "Telefone", "none", profile, sizeof profile,
                             "C:\\WINDOWS\\ZELTEST.INI");
    if (RegGetValueA(HKEY_LOCAL_MACHINE, "SOFTWARE\\ZEL\\Teste", "Modem", RRF_RT_ANY, NULL, value,
                     &size) != ERROR_SUCCESS)
        value[0] = '\0';
    HMODULE dll = LoadLibraryA("ZELTEST.DLL");
    int (*get)(void) = dll ? (int (*)(void))(void*)GetProcAddress(dll, "zel_answer") : NULL;
    const char* name = strrchr(self, '\\');
    name = name != NULL ? name + 1 : self;
    snprintf(report, sizeof report, "C:\\%.*s.TXT", (int)strcspn(name, "."), name);
    FILE* out = fopen(report, "w");
    if (out == NULL)
        return 1;
    fprintf(out, "%s|%s|%d|%s|%s|%s|%s|%d\n", self, dir, argc - 1, argc > 1 ? argv[1] : "",
            argc > 2 ? argv[2] : "", profile, value, get != NULL ? get() : -1);
    fclose(out);
    return 0;
}
