#pragma once
// The GL driver that the toolkit loads for the views (Mesa's *_dri.so) is unloaded when
// the last context goes, before the process exits. Memory it keeps for the life of the
// process then has no module to name it, so a leak check at exit reports it as ours.
// In builds with AddressSanitizer this keeps every loaded DRI driver mapped until the
// process ends, so the leak check can tell the driver's blocks apart; elsewhere it does
// nothing. Call it while a GL context exists.
void KeepGLDriverMappedForLeakCheck();
