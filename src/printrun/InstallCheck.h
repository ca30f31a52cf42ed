#pragma once

namespace automation {
class WordProcessor;
}
class MessageBoxes;

// Tests at start-up that an instance of the word processor can be started,
// and says so when it cannot. Never fails.
void checkWordProcessorInstalled(automation::WordProcessor &wordProcessor, MessageBoxes &messages);
