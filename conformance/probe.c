/* The platform's side of the conformance suite: probe.exe BATCH ANSWERS answers a batch of
 * queries (conformance.cpp tells them) through the platform's own functions, on Z:. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

static FILE* answers;

static void fail(const char* what) {
    fprintf(stderr, "probe: %s (error %lu)\n", what, GetLastError());
    exit(2);
}

static void unhex(char* text) {
    size_t n = 0;
    for (unsigned byte; text[2 * n] && sscanf(text + 2 * n, "%2x", &byte) == 1; ++n)
        text[n] = (char)byte;
    text[n] = 0;
}

static void putHex(const char* prefix, const void* data, size_t size, const char* suffix) {
    fputs(prefix, answers);
    for (size_t i = 0; i < size; ++i)
        fprintf(answers, "%02x", ((const unsigned char*)data)[i]);
    fputs(suffix, answers);
}

/* Runs the command, driven by during if given, ended if it outlasts the wait; its exit code. */
static long run(char* command, DWORD timeoutMs, void (*during)(void)) {
    STARTUPINFOA si = {.cb = sizeof si};
    PROCESS_INFORMATION pi;
    DWORD code = (DWORD)-1;
    if (!CreateProcessA(NULL, command, NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi))
        return -1;
    if (during)
        during();
    if (WaitForSingleObject(pi.hProcess, timeoutMs) != WAIT_OBJECT_0)
        TerminateProcess(pi.hProcess, 1);
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return (long)code;
}

/* regedit's export command, the dialog's branch button and path, the file name and type boxes */
enum { kExport = 32790, kBranch = 102, kBranchPath = 103, kFileName = 0x47c, kFileType = 0x470 };

/* The query being answered: its fields, the path on Z:, and what went wrong in an export. */
static char *f[6], path[MAX_PATH * 2], *problem;

/* Waits for a visible top-level window of the class. */
static HWND waitForWindow(const char* className) {
    HWND w = NULL;
    for (int i = 0; i < 600 && !(w && IsWindowVisible(w)); ++i, Sleep(50))
        w = FindWindowA(className, NULL);
    return w && IsWindowVisible(w) ? w : NULL;
}

/* A control of the dialog at any depth (the export options sit in a child dialog). */
static HWND control(HWND dialog, int id) {
    HWND found = GetDlgItem(dialog, id);
    for (HWND child = NULL; !found && (child = FindWindowExA(dialog, child, NULL, NULL));)
        found = control(child, id);
    return found;
}

/* Exports the key's branch (f[2]) as REGEDIT4 into path. */
static void driveExport(void) {
    HWND frame = waitForWindow("RegEdit_RegEdit"), dialog, type;
    problem = "regedit shows no export dialog";
    if (!frame)
        return;
    PostMessageA(frame, WM_COMMAND, kExport, 0);
    if ((dialog = waitForWindow("#32770")) &&
        (type = control(dialog, kFileType))) { /* REGEDIT4 is the second type, taken on a click */
        SendMessageA(type, CB_SETCURSEL, 1, 0);
        SendMessageA(GetParent(type), WM_COMMAND, MAKEWPARAM(kFileType, CBN_SELENDOK),
                     (LPARAM)type);
        SendMessageA(control(dialog, kBranchPath), WM_SETTEXT, 0, (LPARAM)f[2]);
        SendMessageA(control(dialog, kBranch), BM_CLICK, 0, 0);
        SendMessageA(control(dialog, kFileName), WM_SETTEXT, 0, (LPARAM)path);
        SendMessageA(dialog, WM_COMMAND, IDOK, (LPARAM)GetDlgItem(dialog, IDOK));
        for (int i = 0; i < 200 && IsWindow(dialog); ++i)
            Sleep(50);
        problem = IsWindow(dialog) ? "the export dialog did not close" : NULL;
    }
    PostMessageA(frame, WM_CLOSE, 0, 0);
}

/* The tree of parent's subkey name, called keyPath: its K and V items, then its subkeys'. */
static void dumpKey(HKEY parent, const char* name, const char* keyPath) {
    static BYTE data[1 << 20];
    char childName[16384], childPath[2048];
    DWORD nameSize, dataSize, type;
    HKEY key;
    if (RegOpenKeyExA(parent, name, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return;
    putHex("K ", keyPath, strlen(keyPath), ";");
    for (DWORD i = 0; nameSize = sizeof childName, dataSize = sizeof data,
               RegEnumValueA(key, i, childName, &nameSize, NULL, &type, data, &dataSize) == 0;
         ++i) {
        putHex("V ", keyPath, strlen(keyPath), " ");
        putHex("", childName, nameSize, "");
        fprintf(answers, " %lu", type);
        putHex(" ", data, dataSize, ";");
    }
    for (DWORD i = 0; nameSize = sizeof childName,
               RegEnumKeyExA(key, i, childName, &nameSize, NULL, NULL, NULL, NULL) == 0;
         ++i) {
        snprintf(childPath, sizeof childPath, "%s\\%s", keyPath, childName);
        dumpKey(key, childName, childPath);
    }
    RegCloseKey(key);
}

int main(int argc, char** argv) {
    static char line[1 << 20];
    if (argc != 3 || GetACP() != 1252) /* the code page of the machines kits were made for */
        fail("usage: probe BATCH ANSWERS, under the ANSI code page 1252");
    FILE* batch = fopen(argv[1], "rb");
    if (!batch || !(answers = fopen(argv[2], "wb")))
        fail("cannot read the batch or write the answers");
    while (fgets(line, sizeof line, batch)) {
        char command[MAX_PATH * 3] = "regedit.exe", value[1024];
        line[strcspn(line, "\r\n")] = 0;
        f[0] = line;
        for (int i = 1; i < 6; ++i) {
            if (!(f[i] = strchr(f[i - 1], '\t')))
                fail("a query lacks some of its six fields");
            *f[i]++ = 0;
        }
        for (int i = 2; i <= 4; ++i)
            unhex(f[i]);
        snprintf(path, sizeof path, "Z:%s", f[1]);
        for (char* c = path; (c = strchr(c, '/'));)
            *c = '\\'; /* the export dialog takes no '/' */
        switch (f[0][0]) {
        case 'R':
        case 'B': /* value: as large as what the wizard reads values into */
            GetPrivateProfileStringA(f[2], f[3], "\x01zel-absent\x01", value, sizeof value, path);
            putHex("V ", value, strlen(value), "");
            break;
        case 'W':
            fputc(WritePrivateProfileStringA(f[2], f[3], f[4], path) ? '1' : '0', answers);
            break;
        case 'I':
            snprintf(command, sizeof command, "regedit.exe /S \"%s\"", path);
            fputc(run(command, 120000, NULL) == 0 ? '1' : '0', answers);
            break;
        case 'E':
            problem = "regedit does not start";
            run(command, 20000, driveExport);
            fputs(problem ? problem : "1", answers);
            break;
        case 'D': dumpKey(HKEY_LOCAL_MACHINE, strchr(f[2], '\\') + 1, f[2]); break;
        default: fail("unknown query");
        }
        fputc('\n', answers);
    }
    return fclose(answers) == 0 ? 0 : 2;
}
