#pragma once

#include "report_figures.h"

#include <string>

// The figures of MadeUpHistory::day(), each checked against the answer
// worked out by hand (in known_answers.cpp), as GoogleTest expectations
// that name the source.
void expectKnownAnswers(const Report::Figures& figures, const std::string& source);

// The request for the made-up day, with or without the rollups.
Report::Request madeUpRequest(bool perMinute);
