#include "chemistry/elements.h"

void BaseSetAtName(int, char* f, char* s) { *f = '?'; *s = '?'; }
double BaseQueryAtomRadiusVal(int) { return 0.5; }
