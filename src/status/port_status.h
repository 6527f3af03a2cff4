// What Windows shows beside the printer: the port's status, set through the
// spooler's SetPort at level 3 when the printer's state changes to one the
// user is told about, and cleared once the printer is ready again. The print
// queue window, the settings and the "needs attention" notice of the user's
// own session show it, where the status monitor application (in the
// spooler's session) is seen by nobody. Never changes what the job does.
#pragma once

#include "core/port_session.h"

// The state the user is told about now; nothing when it is shown already.
void ShowPortState(PortSession& session, i16 stateClass, i16 stateCode);
// A clean status reply: the printer is ready, whatever was shown goes.
void ClearPortState(PortSession& session);
// The job end: what the job showed goes, but a printer off or gone stays
// shown offline until a job finds it ready.
void EndPortState(PortSession& session);
