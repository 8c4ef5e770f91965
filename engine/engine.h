#pragma once

// The whole public interface of the formula engine.

#include "batch_evaluator.h"
#include "function_interpreter.h"
#include "functions.h"
#include "interval.h"
#include "interval_evaluator.h"
#include "leaves.h"
#include "operators.h"
#include "parse_error.h"
#include "parse_tables.h"
#include "parser.h"
