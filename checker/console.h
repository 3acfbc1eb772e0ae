// Whole lines out, single answers in. Reads skip blanks and line ends, leave the
// rest of the line for the next read, and first flush the prompt they wait on.
#pragma once

#include "text_encoding.h"

void StartConsole();  // once, before anything is printed

void PrintLine(const AnsiText& text);
void PrintPrompt(const AnsiText& text);  // no line end

bool ReadAnswer(char* answer);  // a NUL for a double-byte character; false at end of input

bool ReadWord(AnsiText* word);

bool RestOfLineIsBlank();  // when not, the rest of the line is discarded

void WaitForEntry();
