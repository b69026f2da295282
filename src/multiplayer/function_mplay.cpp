#include "multiplayer/function_mplay.h"

#include <optional>

#include "code/code_docs.h"
#include "functions/function_args.h"
#include "multiplayer/mplay_session.h"
#include "platform/network.h"

namespace kv {

namespace mplay {
void SetGameGuidForMultiplayer(const std::array<uint8_t, 16>& guid) { ActiveMultiplayer().SetGameGuid(guid); }
void ServiceMultiplayer() { ActiveMultiplayer().Service(); }
void ShutdownMultiplayer() { ActiveMultiplayer().End(); }
}  // namespace mplay

namespace {

using namespace fnargs;
using mplay::ActiveMultiplayer;

double Flag(bool ok) { return ok ? 1.0 : 0.0; }

// A player argument: a number is a player id (0 all players), a string the name of a player of a fresh search;
// nullopt when no player has that name.
std::optional<int32_t> PlayerArg(const RValue* a, int i) {
  if (a[i].IsString()) return ActiveMultiplayer().PlayerIdByName(a[i].ToStdString());
  return I(a, i);
}

}  // namespace

void RegisterMultiplayerFunctions() {
  Reg("mplay_init_ipx", 0, KV_FN {
    KV_UNUSED_ARGS;
    r = Flag(ActiveMultiplayer().InitUnavailable(mplay::kIpx, "mplay_init_ipx"));
  });
  Reg("mplay_init_tcpip", 1, KV_FN {
    KV_UNUSED_ARGS;
    r = Flag(ActiveMultiplayer().InitTcpip(Str(a, 0)));
  });
  Reg("mplay_init_modem", 2, KV_FN {
    KV_UNUSED_ARGS;
    r = Flag(ActiveMultiplayer().InitUnavailable(mplay::kModem, "mplay_init_modem"));
  });
  Reg("mplay_init_serial", 5, KV_FN {
    KV_UNUSED_ARGS;
    r = Flag(ActiveMultiplayer().InitUnavailable(mplay::kSerial, "mplay_init_serial"));
  });
  Reg("mplay_connect_status", 0, KV_FN {
    KV_UNUSED_ARGS;
    r = ActiveMultiplayer().Connection();
  });
  Reg("mplay_end", 0, KV_FN {
    KV_UNUSED_ARGS;
    r = Flag(ActiveMultiplayer().End());
  });
  Reg("mplay_ipaddress", 0, KV_FN {
    KV_UNUSED_ARGS;
    r = RValue(plat::FirstIpv4Address());
  });

  Reg("mplay_session_mode", 1, KV_FN {
    KV_UNUSED_ARGS;
    ActiveMultiplayer().SetSessionMode(I(a, 0) != 0);
    r = 1.0;
  });
  Reg("mplay_session_create", 3, KV_FN {
    KV_UNUSED_ARGS;
    r = Flag(ActiveMultiplayer().CreateSession(Str(a, 0), I(a, 1), Str(a, 2)));
  });
  Reg("mplay_session_find", 0, KV_FN {
    KV_UNUSED_ARGS;
    r = ActiveMultiplayer().FindSessions();
  });
  Reg("mplay_session_name", 1, KV_FN {
    KV_UNUSED_ARGS;
    r = RValue(ActiveMultiplayer().SessionName(I(a, 0)));
  });
  Reg("mplay_session_join", 2, KV_FN {
    KV_UNUSED_ARGS;
    r = Flag(ActiveMultiplayer().JoinSession(I(a, 0), Str(a, 1)));
  });
  Reg("mplay_session_status", 0, KV_FN {
    KV_UNUSED_ARGS;
    r = ActiveMultiplayer().Session();
  });
  Reg("mplay_session_end", 0, KV_FN {
    KV_UNUSED_ARGS;
    r = Flag(ActiveMultiplayer().EndSession());
  });

  Reg("mplay_player_find", 0, KV_FN {
    KV_UNUSED_ARGS;
    r = ActiveMultiplayer().FindPlayers();
  });
  Reg("mplay_player_name", 1, KV_FN {
    KV_UNUSED_ARGS;
    r = RValue(ActiveMultiplayer().PlayerName(I(a, 0)));
  });
  Reg("mplay_player_id", 1, KV_FN {
    KV_UNUSED_ARGS;
    r = ActiveMultiplayer().PlayerId(I(a, 0));
  });

  Reg("mplay_data_write", 2, KV_FN {
    KV_UNUSED_ARGS;
    const double index = D(a, 0);
    // Outside the int range (or not a number) is outside the shared array too.
    const bool inRange = index >= -1.0 && index <= static_cast<double>(mplay::kMaxDataIndex) + 1;
    r = Flag(inRange && ActiveMultiplayer().WriteData(I(a, 0), a[1]));
  });
  Reg("mplay_data_read", 1, KV_FN {
    KV_UNUSED_ARGS;
    const double index = D(a, 0);
    const bool inRange = index >= -1.0 && index <= static_cast<double>(mplay::kMaxDataIndex) + 1;
    r = ActiveMultiplayer().ReadData(inRange ? I(a, 0) : -1);
  });
  Reg("mplay_data_mode", 1, KV_FN {
    KV_UNUSED_ARGS;
    ActiveMultiplayer().SetDataMode(I(a, 0) != 0);
    r = 1.0;
  });

  Reg("mplay_message_send", 3, KV_FN {
    KV_UNUSED_ARGS;
    const auto to = PlayerArg(a, 0);
    r = Flag(to && ActiveMultiplayer().SendMessage(*to, I(a, 1), a[2], false));
  });
  Reg("mplay_message_send_guaranteed", 3, KV_FN {
    KV_UNUSED_ARGS;
    const auto to = PlayerArg(a, 0);
    r = Flag(to && ActiveMultiplayer().SendMessage(*to, I(a, 1), a[2], true));
  });
  Reg("mplay_message_receive", 1, KV_FN {
    KV_UNUSED_ARGS;
    const auto from = PlayerArg(a, 0);
    r = Flag(from && ActiveMultiplayer().ReceiveMessage(*from));
  });
  Reg("mplay_message_id", 0, KV_FN {
    KV_UNUSED_ARGS;
    r = ActiveMultiplayer().LastMessage().id;
  });
  Reg("mplay_message_value", 0, KV_FN {
    KV_UNUSED_ARGS;
    r = ActiveMultiplayer().LastMessage().value;
  });
  Reg("mplay_message_player", 0, KV_FN {
    KV_UNUSED_ARGS;
    r = ActiveMultiplayer().LastMessage().player;
  });
  Reg("mplay_message_name", 0, KV_FN {
    KV_UNUSED_ARGS;
    r = RValue(ActiveMultiplayer().LastMessageName());
  });
  Reg("mplay_message_count", 1, KV_FN {
    KV_UNUSED_ARGS;
    const auto from = PlayerArg(a, 0);
    r = from ? ActiveMultiplayer().CountMessages(*from) : 0;
  });
  Reg("mplay_message_clear", 1, KV_FN {
    KV_UNUSED_ARGS;
    const auto from = PlayerArg(a, 0);
    r = Flag(from && ActiveMultiplayer().ClearMessages(*from));
  });

  DescribeFunctions("Multiplayer", {
      {"mplay_init_ipx", "", "Asks for an IPX connection, which this system does not offer, so it returns 0."},
      {"mplay_init_tcpip", "addrstring",
       "Opens a TCP/IP connection to a host, written as host or host:port, and returns whether it worked."},
      {"mplay_init_modem", "initstr, phonenr",
       "Asks for a modem connection, which this system does not offer, so it returns 0."},
      {"mplay_init_serial", "portno, baudrate, stopbits, parity, flow",
       "Asks for a serial cable connection, which this system does not offer, so it returns 0."},
      {"mplay_connect_status", "", "Returns the kind of connection open: 0 none, 1 IPX, 2 TCP/IP, 3 modem, 4 serial."},
      {"mplay_end", "", "Ends the session and closes the connection."},
      {"mplay_ipaddress", "", "Returns this computer's IP address, or an empty string when it has none."},
      {"mplay_session_mode", "move", "Sets whether another player takes over as host when the host leaves."},
      {"mplay_session_create", "sesname, playnumb, playername",
       "Creates a session for at most playnumb players (0 no limit) and joins it as playername."},
      {"mplay_session_find", "", "Searches for sessions of this game and returns how many were found."},
      {"mplay_session_name", "numb", "Returns the name of found session numb."},
      {"mplay_session_join", "numb, playername",
       "Joins found session numb as playername and returns whether it worked."},
      {"mplay_session_status", "", "Returns the session state: 0 none, 1 created here, 2 joined."},
      {"mplay_session_end", "", "Leaves and closes the current session."},
      {"mplay_player_find", "", "Refreshes the list of players in the session and returns how many there are."},
      {"mplay_player_name", "numb", "Returns the name of player numb in the list."},
      {"mplay_player_id", "numb", "Returns the id of player numb in the list."},
      {"mplay_data_write", "ind, val", "Sets shared value ind, seen by every player, to val."},
      {"mplay_data_read", "ind", "Returns shared value ind."},
      {"mplay_data_mode", "guar", "Sets whether shared values are sent with guaranteed delivery."},
      {"mplay_message_send", "player, id, val", "Sends message id carrying val to a player (0 for all players)."},
      {"mplay_message_send_guaranteed", "player, id, val",
       "Sends message id carrying val to a player (0 for all) with guaranteed delivery."},
      {"mplay_message_receive", "player",
       "Takes the next message from a player (0 for any) and returns whether there was one."},
      {"mplay_message_id", "", "Returns the id of the last message taken."},
      {"mplay_message_value", "", "Returns the value of the last message taken."},
      {"mplay_message_player", "", "Returns the id of the player who sent the last message taken."},
      {"mplay_message_name", "", "Returns the name of the player who sent the last message taken."},
      {"mplay_message_count", "player", "Returns the number of waiting messages from a player (0 for all players)."},
      {"mplay_message_clear", "player", "Discards the waiting messages from a player (0 for all players)."},
  });
}

}  // namespace kv
