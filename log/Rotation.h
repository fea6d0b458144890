#pragma once
// Log file rotation: moves an outgrown log file aside.
class CLogger;

// Called by the logger every few minutes, before it takes the write lock.
void CheckRotation(CLogger& logger);
