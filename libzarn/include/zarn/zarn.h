#pragma once

// Everything of the event-server client library in one include.
#include "zarn/BindingPair.h"
#include "zarn/Client.h"
#include "zarn/Connection.h"
#include "zarn/ConnectionError.h"
#include "zarn/Context.h"
#include "zarn/Event.h"
#include "zarn/HandlerError.h"
#include "zarn/Logger.h"
#include "zarn/NameValueMap.h"
#include "zarn/Object.h"
#include "zarn/ObjectData.h"
#include "zarn/ObjectView.h"
#include "zarn/StreamChunk.h"
#include "zarn/StreamInfo.h"
#include "zarn/Value.h"
#include "zarn/ValuePtr.h"
