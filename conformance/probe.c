/* The platform's side of the conformance suite: probe.exe BATCH ANSWERS answers a batch of
 * queries (conformance.cpp tells them) through the platform's own functions, on Z:. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

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

int main(int argc, char** argv) {
    static const char absent[] = "\x01zel-absent\x01";
    static char line[1 << 20];
    char value[1024];                    /* what the wizard reads values into */
    if (argc != 3 || GetACP() != 1252) { /* the code page of the machines kits were made for */
        fprintf(stderr, "usage: probe BATCH ANSWERS, under the ANSI code page 1252 (now %u)\n",
                GetACP());
        return 2;
    }
    FILE *batch = fopen(argv[1], "rb"), *answers = fopen(argv[2], "wb");
    if (!batch || !answers)
        fail("cannot read the batch or write the answers");
    while (fgets(line, sizeof line, batch)) {
        char *f[5] = {0}, path[MAX_PATH * 2];
        int n = 0;
        line[strcspn(line, "\r\n")] = 0;
        for (char* p = line; p && n < 5; ++n) {
            f[n] = p;
            if ((p = strchr(p, '\t')))
                *p++ = 0;
        }
        if (n != 5 || (f[0][0] != 'R' && f[0][0] != 'B' && f[0][0] != 'W'))
            fail("a query of an unknown kind or without its five fields");
        for (int i = 2; i <= 4; ++i)
            unhex(f[i]);
        snprintf(path, sizeof path, "Z:%s", f[1]);
        for (char* c = path; (c = strchr(c, '/'));)
            *c = '\\';
        if (f[0][0] == 'W') {
            fputs(WritePrivateProfileStringA(f[2], f[3], f[4], path) ? "1\n" : "0\n", answers);
            continue;
        }
        DWORD size = GetPrivateProfileStringA(f[2], f[3], absent, value, sizeof value, path);
        const int found = strcmp(value, absent) != 0;
        fputs(found ? "V " : "-", answers);
        for (DWORD i = 0; found && i < size; ++i)
            fprintf(answers, "%02x", (unsigned char)value[i]);
        fputc('\n', answers);
    }
    if (fclose(answers) != 0)
        fail("cannot write the answers");
    fclose(batch);
    return 0;
}
