/* The Windows program whose start bench_wine measures: it does nothing and ends, so that what
   is timed is Wine's start and end of a program, with ours or without. */
int main(void) {
    return 0;
}
