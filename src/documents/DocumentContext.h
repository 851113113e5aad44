#pragma once

#include "platform/desktop/Alert.h"
#include "platform/desktop/SavePanel.h"
#include "platform/pdf/RendererChannel.h"

namespace dravelo {

class Attention;
class ModalQueue;
class Pasteboard;
class PrintPanel;
class UserDefaults;

// What job documents, their windows and their views are given by the
// platform layer. Tests hand in fakes; main() hands in the real thing.
struct DocumentContext {
    UserDefaults& defaults;
    // The application object, through which attention is requested.
    Attention& application;
    Pasteboard& pasteboard;
    PrintPanel& printPanel;
    // The one queue of modal prompts and print panels.
    ModalQueue& modalQueue;
    AlertFactory makeAlert;
    SavePanelFactory makeSavePanel;
    // Connects to a PDF renderer: one for each job window.
    RendererFactory makeRenderer;
};

} // namespace dravelo
