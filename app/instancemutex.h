#ifndef INSTANCEMUTEX_H
#define INSTANCEMUTEX_H

// Marks, for other processes, that a copy of the program is running. The mark is held until the
// process ends and the kernel drops it; it never keeps a second copy from starting.
void createInstanceMutex();

#endif // INSTANCEMUTEX_H
