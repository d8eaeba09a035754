// Does nothing: it exists for the version information of versioned.rc, which the file-query
// contract test reads under Wine.
int main() { return 0; }
