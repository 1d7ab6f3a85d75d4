#include "app/signal_menu.h"

#include "app/command_ids.h"
#include "app/document_manager.h"
#include "app/main_frame.h"

void ConnectSignalCommands(CMainFrame& frame, CDocumentManager& documents) {
    (void)frame;
    (void)documents;
}
