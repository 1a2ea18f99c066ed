/* The platform's side of the conformance suite: a Win32 program that answers a batch of
 * queries through the platform's own functions, one process for the whole batch.
 *
 *   probe.exe BATCH ANSWERS
 *
 * Each line of BATCH is one query of six tab-separated fields: kind, host path, section or
 * key, key, value, and a field for our side; texts are written in hex so that any byte can
 * travel. Each query gets one answer line in ANSWERS (a dump gets several lines and a closing
 * "."). Host paths (/tmp/...) are given as they are and reached through drive Z:.
 *
 *   R  path section key          -> "V <hex value>" or "-" when the default came back
 *   B  path section key          -> the same, for a file read back after the writes
 *   W  path section key value    -> "1" written, "0" refused
 *   O  ...                       -> "-": a write that the other side carries out
 *   I  file                      -> "1" when regedit imported the file (REGEDIT4 or 5)
 *   E  file key                  -> "1" when regedit's export dialog wrote the key as REGEDIT4
 *   D  - key                     -> the key's tree: "K <path>" and "V <path> <name> <type> <data>"
 *                                   lines (hex), then "."
 *   X  - key                     -> "1" once the key's tree is deleted
 */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

#define MAX_FIELDS 6
#define VALUE_BUFFER 1024 /* what the wizard reads values into */

static const char kAbsent[] = "\x01zel-absent\x01";

static FILE* answers;

static void fail(const char* what) {
    fprintf(stderr, "probe: %s (error %lu)\n", what, GetLastError());
    exit(2);
}

static int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

/* Decodes hex in place. */
static void unhex(char* text) {
    size_t n = 0;
    for (size_t i = 0; text[i] && text[i + 1]; i += 2) {
        int hi = hexValue(text[i]), lo = hexValue(text[i + 1]);
        if (hi < 0 || lo < 0)
            fail("bad hex in batch");
        text[n++] = (char)(hi * 16 + lo);
    }
    text[n] = 0;
}

static void putHex(const void* data, size_t size) {
    const unsigned char* p = data;
    for (size_t i = 0; i < size; ++i)
        fprintf(answers, "%02x", p[i]);
}

/* "/tmp/a/b.ini" -> "Z:\tmp\a\b.ini" */
static void windowsPath(const char* host, char* out, size_t size) {
    size_t n = 0;
    if (size < 3)
        fail("path buffer");
    out[n++] = 'Z';
    out[n++] = ':';
    for (; *host && n + 1 < size; ++host)
        out[n++] = *host == '/' ? '\\' : *host;
    out[n] = 0;
}

static void readProfile(const char* path, const char* section, const char* key) {
    char value[VALUE_BUFFER];
    DWORD n = GetPrivateProfileStringA(section, key, kAbsent, value, sizeof value, path);
    if (strcmp(value, kAbsent) == 0) {
        fputs("-\n", answers);
        return;
    }
    fputs("V ", answers);
    putHex(value, n);
    fputc('\n', answers);
}

/* Runs a command line and waits for it; its exit code, or -1. */
static long runAndWait(char* commandLine, DWORD timeoutMs) {
    STARTUPINFOA si;
    PROCESS_INFORMATION pi;
    DWORD code = (DWORD)-1;
    memset(&si, 0, sizeof si);
    si.cb = sizeof si;
    if (!CreateProcessA(NULL, commandLine, NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi))
        return -1;
    if (WaitForSingleObject(pi.hProcess, timeoutMs) != WAIT_OBJECT_0) {
        TerminateProcess(pi.hProcess, 1);
        code = (DWORD)-1;
    } else {
        GetExitCodeProcess(pi.hProcess, &code);
    }
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return (long)code;
}

static void importFile(const char* path) {
    char command[MAX_PATH * 3];
    snprintf(command, sizeof command, "regedit.exe /S \"%s\"", path);
    fputs(runAndWait(command, 120000) == 0 ? "1\n" : "0\n", answers);
}

/* ---- regedit's export dialog, driven through its window messages ---- */

#define ID_REGISTRY_EXPORTREGISTRYFILE 32790
#define IDC_EXPORT_SELECTED 102
#define IDC_EXPORT_PATH 103
#define FILE_NAME_COMBO 0x47c /* cmb13 */
#define FILE_NAME_EDIT 0x480  /* edt1 */
#define FILE_TYPE_COMBO 0x470 /* cmb1 */

struct WindowSearch {
    DWORD process;
    const char* className; /* NULL: any */
    HWND owner;            /* NULL: any */
    int controlId;         /* 0: any */
    HWND found;
};

static BOOL CALLBACK matchTopLevel(HWND window, LPARAM param) {
    struct WindowSearch* s = (struct WindowSearch*)param;
    DWORD process = 0;
    char className[64];
    GetWindowThreadProcessId(window, &process);
    if (process != s->process)
        return TRUE;
    GetClassNameA(window, className, sizeof className);
    if (s->className && strcmp(className, s->className) != 0)
        return TRUE;
    if (s->owner && GetWindow(window, GW_OWNER) != s->owner)
        return TRUE;
    s->found = window;
    return FALSE;
}

static BOOL CALLBACK matchControl(HWND window, LPARAM param) {
    struct WindowSearch* s = (struct WindowSearch*)param;
    if (GetDlgCtrlID(window) != s->controlId)
        return TRUE;
    s->found = window;
    return FALSE;
}

static HWND waitForWindow(DWORD process, const char* className, HWND owner) {
    for (int i = 0; i < 600; ++i) {
        struct WindowSearch s = {process, className, owner, 0, NULL};
        EnumWindows(matchTopLevel, (LPARAM)&s);
        if (s.found && IsWindowVisible(s.found))
            return s.found;
        Sleep(50);
    }
    return NULL;
}

static HWND findControl(HWND dialog, int id) {
    struct WindowSearch s = {0, NULL, NULL, id, NULL};
    EnumChildWindows(dialog, matchControl, (LPARAM)&s);
    return s.found;
}

static const char* exportThroughDialog(const char* file, const char* key) {
    STARTUPINFOA si;
    PROCESS_INFORMATION pi;
    char command[] = "regedit.exe";
    const char* problem = NULL;
    memset(&si, 0, sizeof si);
    si.cb = sizeof si;
    if (!CreateProcessA(NULL, command, NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi))
        return "regedit does not start";
    WaitForInputIdle(pi.hProcess, 30000);
    HWND frame = waitForWindow(pi.dwProcessId, "RegEdit_RegEdit", NULL);
    HWND dialog = NULL;
    if (!frame) {
        problem = "regedit shows no window";
        goto done;
    }
    PostMessageA(frame, WM_COMMAND, ID_REGISTRY_EXPORTREGISTRYFILE, 0);
    dialog = waitForWindow(pi.dwProcessId, "#32770", frame);
    if (!dialog) {
        problem = "regedit shows no export dialog";
        goto done;
    }
    HWND name = findControl(dialog, FILE_NAME_COMBO);
    if (!name)
        name = findControl(dialog, FILE_NAME_EDIT);
    HWND type = findControl(dialog, FILE_TYPE_COMBO);
    HWND branch = findControl(dialog, IDC_EXPORT_SELECTED);
    HWND path = findControl(dialog, IDC_EXPORT_PATH);
    if (!name || !type || !branch || !path) {
        problem = "the export dialog lacks a control";
        goto done;
    }
    /* The second file type is the REGEDIT4 form; the dialog takes it when the selection
     * is confirmed, as when the list closes on a click. */
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
    if (IsWindow(dialog))
        problem = "the export dialog did not close";
done:
    if (frame)
        PostMessageA(frame, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(pi.hProcess, 20000) != WAIT_OBJECT_0)
        TerminateProcess(pi.hProcess, 1);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return problem;
}

static void exportFile(const char* path, const char* key) {
    DeleteFileA(path);
    const char* problem = exportThroughDialog(path, key);
    if (problem)
        fprintf(answers, "0 %s\n", problem);
    else
        fputs(GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES ? "1\n" : "0 no file\n", answers);
}

/* ---- registry dump ---- */

static HKEY openRoot(const char** path) {
    static const char root[] = "HKEY_LOCAL_MACHINE";
    if (_strnicmp(*path, root, sizeof root - 1) != 0)
        return NULL;
    *path += sizeof root - 1;
    if (**path == '\\')
        ++*path;
    return HKEY_LOCAL_MACHINE;
}

static void dumpKey(HKEY key, const char* path) {
    static BYTE data[1 << 20];
    char name[16384];
    fputs("K ", answers);
    putHex(path, strlen(path));
    fputc('\n', answers);
    for (DWORD i = 0;; ++i) {
        DWORD nameSize = sizeof name, dataSize = sizeof data, type = 0;
        LONG r = RegEnumValueA(key, i, name, &nameSize, NULL, &type, data, &dataSize);
        if (r == ERROR_NO_MORE_ITEMS)
            break;
        if (r != ERROR_SUCCESS)
            fail("RegEnumValueA");
        fputs("V ", answers);
        putHex(path, strlen(path));
        fputc(' ', answers);
        putHex(name, nameSize);
        fprintf(answers, " %lu ", type);
        putHex(data, dataSize);
        fputc('\n', answers);
    }
    for (DWORD i = 0;; ++i) {
        DWORD nameSize = sizeof name;
        LONG r = RegEnumKeyExA(key, i, name, &nameSize, NULL, NULL, NULL, NULL);
        if (r == ERROR_NO_MORE_ITEMS)
            break;
        if (r != ERROR_SUCCESS)
            fail("RegEnumKeyExA");
        HKEY child;
        if (RegOpenKeyExA(key, name, 0, KEY_READ, &child) != ERROR_SUCCESS)
            fail("RegOpenKeyExA");
        size_t length = strlen(path) + 1 + strlen(name) + 1;
        char* childPath = malloc(length);
        if (!childPath)
            fail("memory");
        snprintf(childPath, length, "%s\\%s", path, name);
        dumpKey(child, childPath);
        free(childPath);
        RegCloseKey(child);
    }
}

static void dumpTree(const char* path) {
    const char* sub = path;
    HKEY root = openRoot(&sub);
    HKEY key;
    if (root && RegOpenKeyExA(root, sub, 0, KEY_READ, &key) == ERROR_SUCCESS) {
        dumpKey(key, path);
        RegCloseKey(key);
    }
    fputs(".\n", answers);
}

static void deleteTree(const char* path) {
    const char* sub = path;
    HKEY root = openRoot(&sub);
    LONG r = root ? RegDeleteTreeA(root, sub) : ERROR_INVALID_PARAMETER;
    fputs(r == ERROR_SUCCESS || r == ERROR_FILE_NOT_FOUND ? "1\n" : "0\n", answers);
}

int main(int argc, char** argv) {
    if (argc != 3) {
        fputs("usage: probe BATCH ANSWERS\n", stderr);
        return 2;
    }
    if (GetACP() != 1252) {
        fprintf(stderr, "probe: the ANSI code page is %u, not 1252\n", GetACP());
        return 2;
    }
    FILE* batch = fopen(argv[1], "rb");
    if (!batch)
        fail("cannot open the batch");
    answers = fopen(argv[2], "wb");
    if (!answers)
        fail("cannot create the answers");

    static char line[1 << 20];
    while (fgets(line, sizeof line, batch)) {
        size_t length = strlen(line);
        while (length && (line[length - 1] == '\n' || line[length - 1] == '\r'))
            line[--length] = 0;
        if (!length)
            continue;
        char* f[MAX_FIELDS] = {0};
        char missing[MAX_FIELDS][1] = {{0}}; /* writable: the fields are decoded in place */
        int n = 0;
        for (char* p = line; p && n < MAX_FIELDS; ++n) {
            f[n] = p;
            p = strchr(p, '\t');
            if (p)
                *p++ = 0;
        }
        for (int i = n; i < MAX_FIELDS; ++i)
            f[i] = missing[i];
        for (int i = 2; i <= 4; ++i)
            unhex(f[i]);
        char path[MAX_PATH * 2];
        windowsPath(f[1], path, sizeof path);
        switch (f[0][0]) {
        case 'R':
        case 'B': readProfile(path, f[2], f[3]); break;
        case 'W':
            fputs(WritePrivateProfileStringA(f[2], f[3], f[4], path) ? "1\n" : "0\n", answers);
            break;
        case 'O': fputs("-\n", answers); break;
        case 'I': importFile(path); break;
        case 'E': exportFile(path, f[2]); break;
        case 'D': dumpTree(f[2]); break;
        case 'X': deleteTree(f[2]); break;
        default: fail("unknown query");
        }
    }
    if (fclose(answers) != 0)
        fail("cannot write the answers");
    fclose(batch);
    return 0;
}
