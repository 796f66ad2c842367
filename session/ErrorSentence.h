#pragma once
// What the window tells a person about a failure: one Czech sentence saying what happened
// and what to do, and below it the failure's own text, unchanged, so that the words of
// the network and message layers (the ones --trace, the CLI and a bug report quote) are
// still there to read.

#include <exception>
#include <string>

// The sentence for a failure, or an empty text when its own words are all there is to
// say (a file error, a conversion error, the user's own cancel).
std::string ErrorSentence(const std::exception& error);

// The text of the error box: the sentence, a line break and the failure's own text; the
// text alone when there is no sentence.
std::string ErrorBoxText(const std::exception& error);
