#pragma once
#include "tests/support/TestApp.h"
