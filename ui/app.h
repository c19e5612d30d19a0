// The program's application object: it runs the settings dialog.
#pragma once
#include "ui/framework/app.h"

class CVarnekApp : public CWinApp {
  public:
    BOOL InitInstance() override;
};
