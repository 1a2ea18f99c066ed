/* A kit's program reading what the wizard wrote: a profile value, a registry value, and a
   DLL the kit put in the system directory. Tells them on C:\READER.TXT. */
#include <stdio.h>
#include <windows.h>

int main(void) {
    char profile[128] = "", value[128] = "";
    int answer = -1;
    GetPrivateProfileStringA("Discador", "Telefone", "none", profile, sizeof profile,
                             "C:\\WINDOWS\\ZELTEST.INI");
    HKEY key;
    DWORD size = sizeof value;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\ZEL\\Teste", 0, KEY_READ, &key) ==
        ERROR_SUCCESS) {
        if (RegQueryValueExA(key, "Modem", NULL, NULL, (BYTE*)value, &size) != ERROR_SUCCESS)
            value[0] = '\0';
        RegCloseKey(key);
    }
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
