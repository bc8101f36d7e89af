#include "RecordingMessageBoxHost.h"
