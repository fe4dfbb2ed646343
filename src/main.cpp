#include <cstdlib>

#include "driver/run_cleaner.h"

int main(int argc, char** argv) { exit(RunCleaner(argc, argv)); }
