/* The platform's side of the conformance suite: probe.exe BATCH ANSWERS answers a batch of
 * queries (conformance.cpp tells them) through the platform's own functions, on Z:. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

static const char kAbsent[] = "\x01zel-absent\x01";
static FILE* answers;

static void fail(const char* what) {
    fprintf(stderr, "probe: %s (error %lu)\n", what, GetLastError());
    exit(2);
}

/* Decodes hex in place. */
static void unhex(char* text) {
    size_t n = 0;
    for (unsigned byte; text[2 * n] && sscanf(text + 2 * n, "%2x", &byte) == 1; ++n)
        text[n] = (char)byte;
    text[n] = 0;
}

static void putHex(const char* prefix, const void* data, size_t size) {
    fputs(prefix, answers);
    for (size_t i = 0; i < size; ++i)
        fprintf(answers, "%02x", ((const unsigned char*)data)[i]);
}

static void readProfile(const char* path, const char* section, const char* key) {
    char value[1024]; /* what the wizard reads values into */
    DWORD n = GetPrivateProfileStringA(section, key, kAbsent, value, sizeof value, path);
    if (strcmp(value, kAbsent) == 0)
        fputs("-", answers);
    else
        putHex("V ", value, n);
    fputc('\n', answers);
}

static BOOL start(char* commandLine, PROCESS_INFORMATION* pi) {
    STARTUPINFOA si = {.cb = sizeof si};
    return CreateProcessA(NULL, commandLine, NULL, NULL, FALSE, 0, NULL, NULL, &si, pi);
}

/* Waits for a started process, ending it when it outlasts the wait; its exit code, or -1. */
static long finish(PROCESS_INFORMATION* pi, DWORD timeoutMs) {
    DWORD code = (DWORD)-1;
    if (WaitForSingleObject(pi->hProcess, timeoutMs) == WAIT_OBJECT_0)
        GetExitCodeProcess(pi->hProcess, &code);
    else
        TerminateProcess(pi->hProcess, 1);
    CloseHandle(pi->hThread);
    CloseHandle(pi->hProcess);
    return (long)code;
}

static void importFile(const char* path) {
    char command[MAX_PATH * 3];
    PROCESS_INFORMATION pi;
    snprintf(command, sizeof command, "regedit.exe /S \"%s\"", path);
    fputs(start(command, &pi) && finish(&pi, 120000) == 0 ? "1\n" : "0\n", answers);
}

/* ---- regedit's export dialog, driven through its window messages ---- */

#define ID_REGISTRY_EXPORTREGISTRYFILE 32790
#define IDC_EXPORT_SELECTED 102
#define IDC_EXPORT_PATH 103
#define FILE_NAME_COMBO 0x47c /* cmb13 */
#define FILE_TYPE_COMBO 0x470 /* cmb1 */

/* Waits for a visible top-level window of the process and class (owned by owner if given). */
static HWND waitForWindow(DWORD process, const char* className, HWND owner) {
    for (int i = 0; i < 600; ++i, Sleep(50))
        for (HWND w = NULL; (w = FindWindowExA(NULL, w, className, NULL));) {
            DWORD windowProcess = 0;
            GetWindowThreadProcessId(w, &windowProcess);
            if (windowProcess == process && IsWindowVisible(w) &&
                (!owner || GetWindow(w, GW_OWNER) == owner))
                return w;
        }
    return NULL;
}

/* A control of the dialog at any depth (the export options sit in a child dialog). */
static HWND findControl(HWND dialog, int id) {
    HWND found = GetDlgItem(dialog, id);
    for (HWND child = NULL; !found && (child = FindWindowExA(dialog, child, NULL, NULL));)
        found = findControl(child, id);
    return found;
}

/* Exports the key's branch as REGEDIT4 into file; NULL, or what went wrong. */
static const char* fillExportDialog(HWND dialog, const char* file, const char* key) {
    HWND name = findControl(dialog, FILE_NAME_COMBO), type = findControl(dialog, FILE_TYPE_COMBO);
    HWND branch = findControl(dialog, IDC_EXPORT_SELECTED),
         path = findControl(dialog, IDC_EXPORT_PATH);
    if (!name || !type || !branch || !path)
        return "the export dialog lacks a control";
    /* The second file type is REGEDIT4, taken when the choice is confirmed as by a click. */
    SendMessageA(type, CB_SETCURSEL, 1, 0);
    SendMessageA(GetParent(type), WM_COMMAND, MAKEWPARAM(FILE_TYPE_COMBO, CBN_SELENDOK),
                 (LPARAM)type);
    SendMessageA(path, WM_SETTEXT, 0, (LPARAM)key);
    SendMessageA(branch, BM_CLICK, 0, 0);
    SendMessageA(name, WM_SETTEXT, 0, (LPARAM)file);
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                 (LPARAM)GetDlgItem(dialog, IDOK));
    for (int i = 0; i < 200 && IsWindow(dialog); ++i)
        Sleep(50);
    return IsWindow(dialog) ? "the export dialog did not close" : NULL;
}

static void exportFile(const char* file, const char* key) {
    char command[] = "regedit.exe";
    PROCESS_INFORMATION pi;
    const char* problem = "regedit does not start";
    DeleteFileA(file);
    if (start(command, &pi)) {
        WaitForInputIdle(pi.hProcess, 30000);
        HWND frame = waitForWindow(pi.dwProcessId, "RegEdit_RegEdit", NULL), dialog = NULL;
        if (frame) {
            PostMessageA(frame, WM_COMMAND, ID_REGISTRY_EXPORTREGISTRYFILE, 0);
            dialog = waitForWindow(pi.dwProcessId, "#32770", frame);
        }
        problem = !frame    ? "regedit shows no window"
                  : !dialog ? "regedit shows no export dialog"
                            : fillExportDialog(dialog, file, key);
        if (frame)
            PostMessageA(frame, WM_CLOSE, 0, 0);
        finish(&pi, 20000);
    }
    if (!problem && GetFileAttributesA(file) == INVALID_FILE_ATTRIBUTES)
        problem = "no file";
    fprintf(answers, "%s%s\n", problem ? "0 " : "1", problem ? problem : "");
}

/* ---- the registry: a key's tree on one line, "K <path>;" then "V <path> <name> <type> <data>;"
 * for each value, then its subkeys' */

static void dumpKey(HKEY key, const char* path) {
    static BYTE data[1 << 20];
    char name[16384], childPath[2048];
    DWORD nameSize, dataSize, type;
    HKEY child;
    putHex("K ", path, strlen(path));
    fputc(';', answers);
    for (DWORD i = 0; nameSize = sizeof name, dataSize = sizeof data,
               RegEnumValueA(key, i, name, &nameSize, NULL, &type, data, &dataSize) == 0;
         ++i) {
        putHex("V ", path, strlen(path));
        putHex(" ", name, nameSize);
        fprintf(answers, " %lu", type);
        putHex(" ", data, dataSize);
        fputc(';', answers);
    }
    for (DWORD i = 0; nameSize = sizeof name,
               RegEnumKeyExA(key, i, name, &nameSize, NULL, NULL, NULL, NULL) == 0;
         ++i) {
        if (RegOpenKeyExA(key, name, 0, KEY_READ, &child) != ERROR_SUCCESS)
            fail("cannot open a subkey");
        snprintf(childPath, sizeof childPath, "%s\\%s", path, name);
        dumpKey(child, childPath);
        RegCloseKey(child);
    }
}

static void dumpTree(const char* path) {
    static const char root[] = "HKEY_LOCAL_MACHINE\\";
    HKEY key;
    if (_strnicmp(path, root, sizeof root - 1) == 0 &&
        RegOpenKeyExA(HKEY_LOCAL_MACHINE, path + sizeof root - 1, 0, KEY_READ, &key) == 0) {
        dumpKey(key, path);
        RegCloseKey(key);
    }
    fputc('\n', answers);
}

int main(int argc, char** argv) {
    static char line[1 << 20];
    if (argc != 3 || GetACP() != 1252) { /* the code page of the machines kits were made for */
        fprintf(stderr, "usage: probe BATCH ANSWERS, under the ANSI code page 1252 (now %u)\n",
                GetACP());
        return 2;
    }
    FILE* batch = fopen(argv[1], "rb");
    if (!batch || !(answers = fopen(argv[2], "wb")))
        fail("cannot read the batch or write the answers");
    while (fgets(line, sizeof line, batch)) {
        char *f[6] = {0}, path[MAX_PATH * 2];
        int n = 0;
        line[strcspn(line, "\r\n")] = 0;
        for (char* p = line; p && n < 6; ++n) {
            f[n] = p;
            if ((p = strchr(p, '\t')))
                *p++ = 0;
        }
        if (n != 6)
            fail("a query lacks some of its six fields");
        for (int i = 2; i <= 4; ++i)
            unhex(f[i]);
        snprintf(path, sizeof path, "Z:%s", f[1]);
        for (char* c = path; (c = strchr(c, '/'));)
            *c = '\\';
        switch (f[0][0]) {
        case 'R':
        case 'B': readProfile(path, f[2], f[3]); break;
        case 'W':
            fputs(WritePrivateProfileStringA(f[2], f[3], f[4], path) ? "1\n" : "0\n", answers);
            break;
        case 'I': importFile(path); break;
        case 'E': exportFile(path, f[2]); break;
        case 'D': dumpTree(f[2]); break;
        default: fail("unknown query");
        }
    }
    if (fclose(answers) != 0)
        fail("cannot write the answers");
    fclose(batch);
    return 0;
}
