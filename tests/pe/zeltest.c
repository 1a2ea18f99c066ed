/* A DLL a kit puts in C:\WINDOWS\SYSTEM for its programs. */
__declspec(dllexport) int zel_answer(void) {
    return 42;
}
