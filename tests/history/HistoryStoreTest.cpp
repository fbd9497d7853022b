#include "history/MeterHistory.h"

#include <gtest/gtest.h>
