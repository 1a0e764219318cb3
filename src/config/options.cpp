#include "config/options.h"

OptionRecord PluginOptions;
