/* A kit's program reading what the wizard wrote: a profile value, a registry value, and a
   DLL the kit put in the system directory. Tells them on C:\READER.TXT. */
#include <stdio.h>
#include <windows.h>

int main(void) {
    char profile[128] = "", value[128] = "";
    int answer = -1;
    GetPrivateProfileStringA("Discador", "Telefone", "none", profile, sizeof profile,
                             "C:\\WINDOWS\\ZELTEST.INI");
    DWORD size = sizeof value;
    if (RegGetValueA(HKEY_LOCAL_MACHINE, "SOFTWARE\\ZEL\\Teste", "Modem", RRF_RT_ANY, NULL, value,
                     &size) != ERROR_SUCCESS)
        value[0] = '\0';
    HMODULE dll = LoadLibraryA("ZELTEST.DLL");
    if (dll != NULL) {
        int (*get)(void) = (int (*)(void))(void*)GetProcAddress(dll, "zel_answer");
        if (get != NULL)
            answer = get();
    }
    FILE* out = fopen("C:\\READER.TXT", "w");
    if (out == NULL)
        return 1;
    fprintf(out, "%s|%s|%d\n", profile, value, answer);
    fclose(out);
    return 0;
}
