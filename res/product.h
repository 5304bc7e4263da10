/* The product's name: the caption of every message box but the listener's
   error box, and the version record's product name. A plain macro, as
   windres reads it too. */
#pragma once

#define APP_TITLE "Pipe Server Vantrelle"
