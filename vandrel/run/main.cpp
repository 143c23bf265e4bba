// Placeholder entry, replaced by the run-control implementation.
int main() { return 0; }
