// Numbers read from text the way the plug-in's host calls, settings file and version check write them:
// in the C locale whatever the process's locale is, from the start of the text, ignoring what follows.
#pragma once

#include <string>

// The decimal number at the start of text, after any leading blanks: an optional sign, digits with an
// optional point, an optional exponent; whatever follows ("6 dB") is ignored. False when the text does
// not start with a number.
bool ParseLeadingDecimal(const std::string& text, double& out);

// The leading decimal integer: white space skipped, an optional sign, then the digits; 0 without
// digits. Saturates at the int range instead of overflowing.
int ReadLeadingInteger(const std::string& text);
