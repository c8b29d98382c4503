package com.zeph.plex.sublime;

import java.util.ArrayDeque;
import java.util.HashMap;
import java.util.Map;

/**
 * Byte arrays for request and reply records. The native bridge asks for a request array of an
 * exact size and gives reply arrays back once they are written; small arrays are kept for
 * reuse, large ones are left to the garbage collector.
 */
public final class BufferPool {
    private static final int KEEP_LIMIT = 64 * 1024;
    private static final int KEEP_PER_SIZE = 8;
    private static final Map<Integer, ArrayDeque<byte[]>> FREE = new HashMap<>();
    private static long freed;

    private BufferPool() {}

    public static synchronized byte[] getBuffer(int size) {
        ArrayDeque<byte[]> kept = FREE.get(size);
        if (kept != null && !kept.isEmpty()) {
            return kept.pop();
        }
        return new byte[size];
    }

    public static synchronized void freeBuffer(byte[] buffer) {
        freed++;
        if (buffer.length <= KEEP_LIMIT) {
            ArrayDeque<byte[]> kept = FREE.computeIfAbsent(buffer.length, k -> new ArrayDeque<>());
            if (kept.size() < KEEP_PER_SIZE) {
                kept.push(buffer);
            }
        }
    }

    /** How many arrays were given back so far. */
    public static synchronized long freedCount() {
        return freed;
    }
}
