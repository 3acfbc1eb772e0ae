// Runs checker code with the console streams redirected, for the tests that
// check what it prints and what it leaves unread.
#pragma once

#include <iostream>
#include <iterator>
#include <sstream>
#include <string>

// Runs `body` with `input` as standard input; returns what it printed, and
// the input it left unread in `leftOver` when asked.
template <typename Body>
std::string WithConsole(const std::string& input, Body body, std::string* leftOver = nullptr) {
    std::istringstream in(input);
    std::ostringstream out;
    std::streambuf* oldIn = std::cin.rdbuf(in.rdbuf());
    std::streambuf* oldOut = std::cout.rdbuf(out.rdbuf());
    std::cin.clear();
    body();
    std::cin.rdbuf(oldIn);
    std::cout.rdbuf(oldOut);
    std::cin.clear();
    if (leftOver != nullptr) {
        in.clear();
        *leftOver = std::string(std::istreambuf_iterator<char>(in), {});
    }
    return out.str();
}
