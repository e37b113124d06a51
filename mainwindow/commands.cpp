#include "mainwindow/commands.h"
