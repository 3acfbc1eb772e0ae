// Console helpers for the checker: whole lines out, single answers in.
// Reads skip blanks and line ends and leave the rest of the line pending for
// the next read, across prompts; each read flushes pending output first so
// the prompt is on screen while the tool waits.
#pragma once

#include <string>

// Makes standard output buffered, so that every line and prompt reaches the
// console in one write. Called once, before anything is printed.
void StartConsole();

// Writes `text` and a line end, then flushes.
void PrintLine(const std::string& text);

// Writes `text` with no line end (a prompt), then flushes.
void PrintPrompt(const std::string& text);

// The next non-blank character, or a NUL for a double-byte one, which
// answers nothing. False
// at end of input; `answer` is then unchanged.
bool ReadAnswer(char* answer);

// The next word: the characters up to the next white space. False at end of
// input; `word` is then empty.
bool ReadWord(std::string* word);

// After a word: true when only blanks follow it on its line. Otherwise the
// rest of that line is discarded and the answer is false.
bool RestOfLineIsBlank();

// Waits for one entry completed with Enter and discards it; end of input ends
// the wait at once.
void WaitForEntry();
