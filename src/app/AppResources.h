#pragma once

// Registers the pictures compiled into the program (the library's resources are not
// registered by themselves when linked statically).
void initAppResources();
