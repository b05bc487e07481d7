#include "scene/scroll_texts.h"

const std::string_view upperScrollText =
    "WELCOME ABOARD THE TIDEWOBBLER!   THIS IS KELPWAX, AN UNDERWATER SHOW THAT PLAYS ITSELF FROM THE"
    " FIRST BEAT TO THE LAST.   THE SEA SWAYS, A RECORD DRIFTS BY WITH ITS LABEL SPINNING, CUBES "
    "TUMBLE, A SUBMARINE CRUISES PAST, ALL IN STEP WITH THE MUSIC.   HELLO TO EVERYONE WATCHING, TO "
    "THE FISH IN THE KELP AND THE CRABS UNDER STONES!   WHY UNDERWATER?  BECAUSE SOUND TRAVELS FASTER"
    " DOWN HERE, AND SO DO SCROLLERS.   NOT A $ SPENT ON SAMPLES, EVERY PIXEL AND NOTE IS MADE BY "
    "CODE.   SIT BACK, BREATHE BUBBLES AND ENJOY THE DIVE!    #1 IN THE KELP CHART.   ";

const std::string_view lowerScrollText =
    "Hello there, builder of this show!  If you are reading this, you compiled kelpwax, ran it and "
    "kept watching long enough for the lower line to reach you.  Thank you.  A wave goes out to "
    "everyone who builds it from source, checks the frames and runs it on a big screen at a party "
    "tonight.  How it works: every frame is worked out from the play position of the music alone - "
    "two and a half beats a second, one hundred and fifty a minute.  Nothing waits, nothing is "
    "remembered.  Press any key to surface early, or stay until beat 400 and the show ends by itself."
    "  Greetings to all divers, coders, musicians and pixel painters of the deep.  Remember: keep "
    "your flippers dry and your buffers clear.  Tidewobbler out, see you on the next tide...   ";
