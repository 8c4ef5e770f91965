#pragma once

// The whole public interface of the formula engine.

#include "function_interpreter.h"
#include "functions.h"
#include "leaves.h"
#include "operators.h"
#include "parse_error.h"
#include "parse_tables.h"
#include "parser.h"
