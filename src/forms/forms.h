#pragma once
// The whole form framework.
#include "forms/application.h"
#include "forms/button.h"
#include "forms/exception.h"
#include "forms/form.h"
#include "forms/label.h"
#include "forms/progressbar.h"
#include "forms/screen.h"
#include "forms/timer.h"
#include "forms/types.h"
