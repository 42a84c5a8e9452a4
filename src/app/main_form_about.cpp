#include "app/application.h"
#include "app/main_form.h"

namespace voltare::app {

void TMainForm::AboutClick() { ShowModal(ui_, app_.AboutBox); }

}  // namespace voltare::app
