#include "presentation/app_info.h"
