// Placeholder entry, replaced by the tfenrich implementation.
int main() { return 0; }
