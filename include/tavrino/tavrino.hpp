#pragma once

// Everything a host needs.

#include "tavrino/async_task.hpp"
#include "tavrino/client.hpp"
#include "tavrino/inbox/qiv_inbox.hpp"
#include "tavrino/inbox/qiv_inbox_helper.hpp"
#include "tavrino/inbox/qiv_inbox_message.hpp"
#include "tavrino/platform/linux.hpp"
#include "tavrino/platform/platform.hpp"
#include "tavrino/qiv_util.hpp"
#include "tavrino/url_encoding.hpp"
#include "tavrino/util/inbox.hpp"
#include "tavrino/util/json_helpers.hpp"
#include "tavrino/util/request.hpp"
#include "tavrino/util/settings.hpp"
#include "tavrino/util/store.hpp"
#include "tavrino/util/transport.hpp"
#include "tavrino/value.hpp"
