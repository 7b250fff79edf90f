// Items cost little while idle: import keeps only what the probe found, and
// a request opens the reader it needs (demuxer, decoder) on first use. The
// module keeps at most a bounded number of items open (footage/
// item_registry.h) and closes the least recently used beyond it; the host
// can close an item's files too. A reopened reader stands at the start of the
// file, as after import.
#pragma once

#include "footage/av_owners.h"
#include "footage/footage_item.h"
#include "footage/footage_options.h"

// A demuxer on the source for the stream `facts` describes, reading only that
// stream; null when the file is gone or no longer holds such a stream there.
// The format is known, and where the header lists every stream the probe's
// decoding is not needed again (the decoder takes its parameters from the
// probe).
FormatContextPtr OpenStreamDemuxer(const MediaSource& source, const StreamFacts& facts);

// Puts `format` back at the start of the file: a demuxer that has read
// nothing stays; otherwise a fresh one replaces it (a seek to the very start
// by timestamp can pass over packets before the first index entry). False,
// with `format` left as it was, when the file cannot be opened again.
bool RewindDemuxer(FormatContextPtr& format, bool& at_start, const MediaSource& source,
                   const StreamFacts& facts);

// The item's picture reader, opened now if it is closed; null when the item
// uses no picture or the file cannot be opened as the footage it was (black,
// and the next request tries again). Call under the item's lock.
VideoReader* OpenedVideo(const FootageOptions& record, FootageItem& item);

// The same for the sound; null also when the record tells no usable rate.
SoundReader* OpenedSound(const FootageOptions& record, FootageItem& item);

// Closes both readers: the item holds no file, demuxer or decoder until its
// next request. Its pictures stay in the picture cache. Call under the
// item's lock.
void CloseItem(FootageItem& item);
