#include "CommSettings.h"

CommSettings commSettings;
int32_t rfChannel = 33;
int32_t rfPower = 3;
int32_t rfRateCode = 7;
bool autoReconnect = false;
