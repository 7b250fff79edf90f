// Opening footage: a path names a file on this machine, never a network
// address or another of FFmpeg's protocols. A project file or a host path
// such as "udp:..." or "http://..." would otherwise make the plug-in listen
// or fetch (and a listening socket waits for ever).
#pragma once

#include "footage/av_owners.h"

// avformat_open_input on `path`, reading through the file protocol alone
// (demuxers that open further files, such as playlists, are held to it
// too); null when it does not open.
FormatContextPtr OpenLocalFile(const char* path, const AVInputFormat* format);
