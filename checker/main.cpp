#include "check_run.h"

int main(int argc, char**) { return RunCheck(argc); }
