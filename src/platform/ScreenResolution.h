// The screen's dots per inch, which stands in for a picture's resolution when its file gives
// none (sizes in centimetres and inches, the print layout).
#pragma once

// The primary screen's logical dots per inch; 96 without a screen.
double screenDotsPerInchX();
double screenDotsPerInchY();
