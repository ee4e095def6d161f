// Message 1102: the next line that may hold a literal, found in the bytes of
// the file for lines still unchanged from it (EditProtocol.h says what the
// control answers).
#pragma once

#include "EditProtocol.h"

class TextDocument;

// Fills arg.line and arg.run; returns the message's answer (0, 1 or 2).
int FindLineWith(TextDocument& doc, int first, LineFindArg& arg);
