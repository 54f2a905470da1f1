#pragma once

// Everything a host needs.

#include "tavrino/async_task.hpp"
#include "tavrino/client.hpp"
#include "tavrino/platform/linux.hpp"
#include "tavrino/platform/platform.hpp"
#include "tavrino/qiv_util.hpp"
#include "tavrino/util/json_helpers.hpp"
#include "tavrino/util/settings.hpp"
#include "tavrino/util/store.hpp"
#include "tavrino/value.hpp"
