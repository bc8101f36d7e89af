// The library under check is linked whole: every object of it must resolve.
int main() { return 0; }
