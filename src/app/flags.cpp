#include "app/flags.h"

bool gFieldsChanged = false;
bool gRecordPicked = false;
