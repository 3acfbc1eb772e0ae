// Console helpers: whole lines out, single answers in. Reads skip blanks and
// line ends and leave the rest of the line for the next read, across prompts;
// each read flushes pending output first, so the prompt shows while it waits.
#pragma once

#include <string>

void StartConsole();  // once, before anything is printed

void PrintLine(const std::string& text);
void PrintPrompt(const std::string& text);  // no line end

// The next non-blank character, or a NUL for a double-byte one, which answers
// nothing. False at end of input.
bool ReadAnswer(char* answer);

// The characters up to the next white space. False at end of input.
bool ReadWord(std::string* word);

// After a word: true when only blanks follow it on its line; otherwise the
// rest of the line is discarded.
bool RestOfLineIsBlank();

// Waits for one entry completed with Enter; end of input ends the wait.
void WaitForEntry();
