// What the write path does when the scanner failed.
#pragma once

#include "core/port_session.h"

enum class Recovery { Stopped, Resent };

// Decides by the state pair: reports the state to the application, waits for
// the user's answer, resets the printer and sends the page again (Resent), or
// stops the job (Stopped). A failure during the resend decides again.
Recovery ResumeAfterError(PortSession& session);
