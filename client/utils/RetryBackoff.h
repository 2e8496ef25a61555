#pragma once

// The waits between attempts at something that keeps failing (a store file another program
// holds): the first wait, then twice the last one, never more than the longest. reset() once
// an attempt succeeded.
class RetryBackoff
{
public:
    explicit RetryBackoff(int firstMs = 1000, int longestMs = 30000);

    // The wait before the next attempt; each call doubles the one after.
    int next();
    void reset();
    // Attempts waited for since the last reset.
    int attempts() const { return m_attempts; }

private:
    int m_firstMs;
    int m_longestMs;
    int m_nextMs;
    int m_attempts = 0;
};
