#pragma once

// Types a few codes through a decoder as a keyboard scanner would and prints what polling returns.
int runDemo();
