// A base file that uses the shell: the layer check must refuse it.
#include "shell/link.h"
