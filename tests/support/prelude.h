// What every behaviour test includes.
#pragma once

#include <gtest/gtest.h>

#include "pipeline/image_lookup.h"
#include "shell/app_delegate.h"
#include "support/lookup_helpers.h"
#include "support/sim_platform.h"
