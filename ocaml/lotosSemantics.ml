(* The maximality-based operational rules of basic LOTOS, shared by the
   alpha-reduced STEM (calventoSource.ml) and the maximal-step graph
   (lotosGPM.ml). The build compiles this text in front of each of them, so
   that each module stands alone, as the generated program links only one.

   The rules are those of QUARVO's own generator: a term is a tree of nodes,
   each holding the set of maximal events it carries; a transition is derived
   as a record of what every node did (which operand moved, the causes each
   side brought, whether an enabling or a disabling saw its left operand
   terminate), and the successor is built from that record node by node. *)

(* The terms of the program text that QUARVO writes. *)
type terme =
  | Préfixe of string * terme
  | Exit
  | Choix of terme * terme
  | Interruption of terme * terme
  | Séquence of terme * terme
  | Hide of string list * terme
  | Appel of string list * int
  | Parallèlisme of terme * terme * string list
  | Stop

(* One process definition: its number, its formal gates and its behaviour.
   The system is the definition numbered 0. *)
type definition = int * string list * terme

let delta = "delta"
let internal_action = "I"
let dollar = "$"
let max_event_names = 30

(* ---- Event sets: (event, action) sorted by event, one entry per event ---- *)

type evset = (int * string) list

let rec ev_mem e = function
  | [] -> false
  | (x, _) :: rest -> x = e || (x < e && ev_mem e rest)

(* Adds (e, a) unless e is present; the stored action then stays. *)
let rec ev_insert e a = function
  | [] -> [ (e, a) ]
  | ((x, _) as p) :: rest as s ->
      if x = e then s else if x > e then (e, a) :: s else p :: ev_insert e a rest

(* Entries of a, then those of b whose event is not in a. *)
let rec ev_union a b =
  match (a, b) with
  | [], s | s, [] -> s
  | ((x, _) as p) :: ra, ((y, _) as q) :: rb ->
      if x = y then p :: ev_union ra rb
      else if x < y then p :: ev_union ra b
      else q :: ev_union a rb

let ev_remove_all set other =
  if other = [] then set else List.filter (fun (x, _) -> not (ev_mem x other)) set

(* Removes the entries whose event is a cause, except the entry (e, a). *)
let ev_remove_cause_events set causes e a =
  if causes = [] then set
  else List.filter (fun (x, y) -> (not (ev_mem x causes)) || (x = e && y = a)) set

(* Smallest name of 1..30 not used, or -1 when all are. *)
let ev_fresh used =
  let rec go c = function
    | [] -> c
    | (x, _) :: rest -> if x > c then c else if x = c then go (c + 1) rest else go c rest
  in
  let c = go 1 used in
  if c <= max_event_names then c else -1

let ev_text set =
  "{" ^ String.concat "," (List.map (fun (e, a) -> string_of_int e ^ ":" ^ a) set) ^ "}"

(* ---- Terms of the rules ---- *)

type kind = KPrefix | KChoice | KDisable | KEnable | KHide | KCall | KParallel | KStop

type node = {
  kind : kind;
  mutable left : node option;   (* first operand, body of a hide *)
  mutable right : node option;  (* second operand, continuation of a prefix *)
  gates : string list;          (* action, hidden gates, actual gates or synchronisation set *)
  proc : int;                   (* process number of a call *)
  mutable events : evset;
  mutable instance : node option;  (* the body of a call, built when it is first derived *)
}

let mk ?(left = None) ?(right = None) ?(gates = []) ?(proc = -1) kind =
  { kind; left; right; gates; proc; events = []; instance = None }

let is_binary k = k = KChoice || k = KDisable || k = KParallel
let is_unary_left k = k = KEnable || k = KHide

(* The rules' form of a term. A parallel composition synchronises on delta
   besides the listed gates; EXIT is the action delta followed by a stop. *)
let rec of_terme = function
  | Préfixe (a, t) -> mk ~gates:[ a ] ~right:(Some (of_terme t)) KPrefix
  | Exit -> mk ~gates:[ delta ] ~right:(Some (mk KStop)) KPrefix
  | Choix (l, r) -> mk ~left:(Some (of_terme l)) ~right:(Some (of_terme r)) KChoice
  | Interruption (l, r) -> mk ~left:(Some (of_terme l)) ~right:(Some (of_terme r)) KDisable
  | Séquence (l, r) -> mk ~left:(Some (of_terme l)) ~right:(Some (of_terme r)) KEnable
  | Hide (g, t) -> mk ~gates:g ~left:(Some (of_terme t)) KHide
  | Appel (g, n) -> mk ~gates:g ~proc:n KCall
  | Parallèlisme (l, r, g) ->
      mk ~gates:(delta :: g) ~left:(Some (of_terme l)) ~right:(Some (of_terme r)) KParallel
  | Stop -> mk KStop

(* A gate renamed from formals to the actual at the same position. *)
let rename formals actuals g =
  let rec go fs acts =
    match fs with
    | [] -> g
    | f :: fs' ->
        if f = g then (match acts with a :: _ -> a | [] -> g)
        else go fs' (match acts with _ :: r -> r | [] -> [])
  in
  go formals actuals

(* Each formal with the name it stands for (itself when actuals run short). *)
let rec pairs formals actuals =
  match (formals, actuals) with
  | [], _ -> []
  | f :: fs, a :: acts -> (f, a) :: pairs fs acts
  | f :: fs, [] -> (f, f) :: pairs fs []

(* A hidden gate renamed apart from a visible one of the same name: the same
   text followed by a mark that "I_" and the name leave out. *)
let mark_apart name taken =
  let rec try_mark k =
    let candidate = name ^ "\000" ^ string_of_int k in
    if List.mem candidate taken then try_mark (k + 1) else candidate
  in
  try_mark 1

(* Deep copy, with the gate renaming; an instance is copied without it. The
   hidden gates of a hiding are its own: a formal of the same name is not
   renamed inside it, and a hidden gate an actual would fall into is renamed
   apart, so the actual stays visible. *)
let rec copy ?(formals = []) ?(actuals = []) t =
  if t.kind = KHide && formals <> [] then begin
    let kept = List.filter (fun (f, _) -> not (List.mem f t.gates)) (pairs formals actuals) in
    let images = List.map snd kept in
    let apart, hidden =
      List.fold_right
        (fun h (apart, hidden) ->
          if List.mem h images then
            let m = mark_apart h (images @ t.gates) in
            ((h, m) :: apart, m :: hidden)
          else (apart, h :: hidden))
        t.gates ([], [])
    in
    let inner = kept @ apart in
    let formals = List.map fst inner and actuals = List.map snd inner in
    {
      t with
      gates = hidden;
      left = copy_opt ~formals ~actuals t.left;
      right = copy_opt ~formals ~actuals t.right;
      instance = copy_opt t.instance;
    }
  end
  else
    let gates = if formals = [] then t.gates else List.map (rename formals actuals) t.gates in
    {
      t with
      gates;
      left = copy_opt ~formals ~actuals t.left;
      right = copy_opt ~formals ~actuals t.right;
      instance = copy_opt t.instance;
    }

and copy_opt ?(formals = []) ?(actuals = []) = function
  | None -> None
  | Some t -> Some (copy ~formals ~actuals t)

let events_of = function None -> [] | Some t -> t.events

let rec free_below = function
  | None -> true
  | Some t ->
      t.events = []
      &&
      if is_binary t.kind then free_below t.left && free_below t.right
      else if is_unary_left t.kind then free_below t.left
      else true

let qualifies n =
  if is_binary n.kind then free_below n.left && free_below n.right
  else if is_unary_left n.kind then free_below n.left
  else false

(* Pushes a node's events down its operator spine when the spine below is free of events. *)
let rec push_down force = function
  | None -> ()
  | Some n ->
      if force || (n.events <> [] && qualifies n) then
        if is_binary n.kind then begin
          Option.iter (fun l -> l.events <- n.events) n.left;
          Option.iter (fun r -> r.events <- n.events) n.right;
          push_down force n.left;
          push_down force n.right
        end
        else if is_unary_left n.kind then
          match n.left with
          | Some l when l.events = [] ->
              l.events <- n.events;
              push_down force n.left
          | _ -> ()

let distribute n = push_down false (Some n)
let force_distribute n = push_down true (Some n)

(* The events a node gets from its operands after a step. *)
let child_events n =
  if n.left = None && n.right = None then []
  else if is_binary n.kind then ev_union (events_of n.left) (events_of n.right)
  else if is_unary_left n.kind then events_of n.left
  else []

(* Removes the events of causes along the operator spine of a term; with
   keep_new the entry (e, a) of the occurrence just created stays. *)
let rec strip_causes t causes e a keep_new =
  if causes <> [] then
    match t with
    | None -> ()
    | Some n ->
        let strip s = if keep_new then ev_remove_cause_events s causes e a else ev_remove_all s causes in
        n.events <- strip n.events;
        Option.iter (fun i -> i.events <- strip i.events) n.instance;
        if is_binary n.kind then begin
          strip_causes n.left causes e a keep_new;
          strip_causes n.right causes e a keep_new
        end
        else if is_unary_left n.kind then strip_causes n.left causes e a keep_new
        else if n.kind = KCall then strip_causes n.instance causes e a keep_new

(* ---- Derivation ---- *)

(* What one node did in a transition; see QUARVO's generator. *)
type step = {
  sleft : step option;
  sright : step option;
  lcauses : evset;
  rcauses : evset;
  terminated : bool;
  jump_to : node option;  (* choice, call: the operand whose successor replaces them *)
}

let leaf_step = { sleft = None; sright = None; lcauses = []; rcauses = []; terminated = false; jump_to = None }

type transition = {
  action : string;
  internal : bool;  (* internal, hidden or end of an enabling's left: never synchronises *)
  event : int;
  causes : evset;
  step : step;
}

type system = {
  bodies : (int, string list * node) Hashtbl.t;
  root : node;
}

let make_system (defs : definition list) =
  let bodies = Hashtbl.create 16 in
  List.iter (fun (n, formals, t) -> Hashtbl.replace bodies n (formals, of_terme t)) defs;
  let root =
    match List.find_opt (fun (n, _, _) -> n = 0) defs with
    | Some (_, _, t) -> of_terme t
    | None -> ( match defs with (_, _, t) :: _ -> of_terme t | [] -> mk KStop)
  in
  { bodies; root }

(* "I_" followed by the first 30 characters of the name, without the mark of
   a gate renamed apart. *)
let hidden a =
  let a = match String.index_opt a '\000' with Some i -> String.sub a 0 i | None -> a in
  "I_" ^ if String.length a > 30 then String.sub a 0 30 else a

let event_besides n causes =
  ev_fresh (ev_remove_all (ev_union (events_of n.left) (events_of n.right)) causes)

let jump tr operand =
  if tr.step.jump_to <> None then tr
  else { tr with step = { leaf_step with jump_to = Some operand; sleft = Some tr.step } }

(* Every transition of a term, in order; distributes events in place and
   builds the instances of calls. expanding: processes being entered before
   any action (a call of one of them adds no transition). *)
let rec derive sys expanding t =
  match t with
  | None -> []
  | Some t -> (
      distribute t;
      match t.kind with
      | KPrefix ->
          let a = List.hd t.gates in
          [ { action = a; internal = a = internal_action; event = 1; causes = t.events; step = leaf_step } ]
      | KChoice ->
          let l = List.map (fun tr -> jump tr (Option.get t.left)) (derive sys expanding t.left) in
          let r = List.map (fun tr -> jump tr (Option.get t.right)) (derive sys expanding t.right) in
          l @ r
      | KDisable ->
          let side left tr =
            let s =
              {
                leaf_step with
                sleft = (if left then Some tr.step else None);
                sright = (if left then None else Some tr.step);
                lcauses = tr.causes;
                terminated = left && tr.action = delta && not tr.internal;
              }
            in
            { tr with step = s; event = event_besides t tr.causes }
          in
          let l = derive sys expanding t.left in
          let r = derive sys expanding t.right in
          let l = List.map (side true) l in
          let r = List.map (side false) r in
          l @ r
      | KEnable ->
          List.map
            (fun tr ->
              let s = { leaf_step with sleft = Some tr.step } in
              if tr.action = delta && not tr.internal then
                let causes = events_of t.left in
                let old = ev_remove_all tr.causes causes in
                {
                  action = internal_action;
                  internal = true;
                  causes;
                  event = ev_fresh old;
                  step = { s with terminated = true };
                }
              else { tr with step = s })
            (derive sys expanding t.left)
      | KHide ->
          List.map
            (fun tr ->
              let tr = { tr with step = { leaf_step with sleft = Some tr.step } } in
              if (not tr.internal) && List.mem tr.action t.gates then
                { tr with action = hidden tr.action; internal = true }
              else tr)
            (derive sys expanding t.left)
      | KCall ->
          if List.mem t.proc expanding then []
          else begin
            (if t.instance = None then
               match Hashtbl.find_opt sys.bodies t.proc with
               | Some (formals, body) ->
                   let inst = copy ~formals ~actuals:t.gates body in
                   inst.events <- t.events;
                   force_distribute inst;
                   t.instance <- Some inst
               | None -> ());
            match t.instance with
            | None -> []
            | Some inst ->
                List.map (fun tr -> jump tr inst) (derive sys (t.proc :: expanding) t.instance)
          end
      | KParallel ->
          let left = derive sys expanding t.left in
          let right = derive sys expanding t.right in
          let sync tr = (not tr.internal) && List.mem tr.action t.gates in
          let from_left =
            List.concat_map
              (fun l ->
                if not (sync l) then
                  [
                    {
                      l with
                      step = { leaf_step with sleft = Some l.step; lcauses = l.causes };
                      event = event_besides t l.causes;
                    };
                  ]
                else
                  List.filter_map
                    (fun r ->
                      if r.internal || r.action <> l.action then None
                      else
                        let causes = ev_union l.causes r.causes in
                        Some
                          {
                            action = l.action;
                            internal = false;
                            causes;
                            event = event_besides t causes;
                            step =
                              {
                                leaf_step with
                                sleft = Some l.step;
                                sright = Some r.step;
                                lcauses = l.causes;
                                rcauses = r.causes;
                              };
                          })
                    right)
              left
          in
          let from_right =
            List.filter_map
              (fun r ->
                if sync r then None
                else
                  Some
                    {
                      r with
                      step = { leaf_step with sright = Some r.step; rcauses = r.causes };
                      event = event_besides t r.causes;
                    })
              right
          in
          from_left @ from_right
      | KStop -> [])

(* ---- Successor ---- *)

(* cenabling: the enablings whose left operand holds the node being built. *)
type context = { ccauses : evset; cevent : int; mutable caction : string; mutable cenabling : int }

(* A stop left by an operand that a disabling discarded (a written stop has proc -1). *)
let discarded_proc = -2

let rec next t step ctx =
  match t with
  | None -> None
  | Some t ->
      let result =
        match t.kind with
        | KPrefix -> (
            match step with
            | Some _ ->
                let r = copy_opt t.right in
                Option.iter (fun r -> r.events <- ev_insert ctx.cevent ctx.caction r.events) r;
                r
            | None -> Some (copy t))
        | KChoice | KCall -> (
            match step with
            | Some s -> next s.jump_to s.sleft ctx
            | None -> Some (copy t))
        | KDisable -> (
            let stop_for operand =
              let s = mk ~proc:discarded_proc KStop in
              Option.iter (fun o -> s.events <- ev_remove_all o.events ctx.ccauses) operand;
              s
            in
            let disable left right =
              let r = mk ~left ~right KDisable in
              r.events <- child_events r;
              Some r
            in
            (* The stop of a discarded operand stays while it holds events;
               outside the left operand of an enabling nothing can wait for
               them, and they end with the next step of the operand that
               took over. *)
            match step with
            | Some ({ sleft = Some ls; _ } as s) ->
                let left = next t.left (Some ls) ctx in
                if s.terminated then
                  let stop = stop_for t.right in
                  if stop.events = [] then left else disable left (Some stop)
                else begin
                  (* Events that the moving side waited for have ended for
                     the whole of the right operand. *)
                  let r = copy_opt t.right in
                  strip_causes r s.lcauses ctx.cevent ctx.caction false;
                  disable left r
                end
            | Some { sright = Some rs; _ } -> (
                let right = next t.right (Some rs) ctx in
                match t.left with
                | Some { kind = KStop; proc; _ } when proc = discarded_proc && ctx.cenabling = 0 -> right
                | _ ->
                    let stop = stop_for t.left in
                    if stop.events = [] then right else disable (Some stop) right)
            | _ ->
                let r = copy t in
                r.events <- child_events r;
                Some r)
        | KEnable -> (
            match step with
            | Some ({ sleft = Some ls; _ } as s) ->
                let r =
                  if s.terminated then begin
                    ctx.caction <- dollar;
                    copy_opt t.right
                  end
                  else begin
                    ctx.cenabling <- ctx.cenabling + 1;
                    let left = next t.left (Some ls) ctx in
                    ctx.cenabling <- ctx.cenabling - 1;
                    Some (mk ~left ~right:(copy_opt t.right) KEnable)
                  end
                in
                Option.iter
                  (fun r ->
                    r.events <- child_events r;
                    r.events <- ev_insert ctx.cevent internal_action r.events)
                  r;
                r
            | _ ->
                let r = copy t in
                r.events <- child_events r;
                Some r)
        | KHide ->
            let body = match step with Some s -> s.sleft | None -> None in
            let r =
              match t.left with
              | Some ({ kind = KHide; _ } as inner) ->
                  (* Nested hidings merge into one. *)
                  let gates = t.gates @ List.filter (fun g -> not (List.mem g t.gates)) inner.gates in
                  let b = match body with Some b -> b.sleft | None -> None in
                  mk ~gates ~left:(next inner.left b ctx) KHide
              | _ -> mk ~gates:t.gates ~left:(next t.left body ctx) KHide
            in
            r.events <- child_events r;
            (* Only a hiding whose body moved records the new occurrence. *)
            if body <> None then r.events <- ev_insert ctx.cevent ctx.caction r.events;
            Some r
        | KParallel ->
            let ls = match step with Some s -> s.sleft | None -> None in
            let rs = match step with Some s -> s.sright | None -> None in
            let lc = match step with Some s -> s.lcauses | None -> [] in
            let rc = match step with Some s -> s.rcauses | None -> [] in
            let left = next t.left ls ctx in
            strip_causes left rc ctx.cevent ctx.caction (ls <> None);
            let right = next t.right rs ctx in
            strip_causes right lc ctx.cevent ctx.caction (rs <> None);
            let r = mk ~gates:t.gates ~left ~right KParallel in
            r.events <- child_events r;
            Some r
        | KStop -> Some (copy t)
      in
      Option.iter distribute result;
      result

(* The term reached by a transition, and the action the arc carries ("I"
   for the end of an enabling's left operand). *)
let successor t tr =
  let ctx = { ccauses = tr.causes; cevent = tr.event; caction = tr.action; cenabling = 0 } in
  let r = next (Some t) (Some tr.step) ctx in
  (r, if ctx.caction = dollar then internal_action else tr.action)

(* ---- Configurations as states ---- *)

(* A state keeps no instance: a call's instance is rebuilt from the call's
   events when the state is explored. *)
let rec drop_instances = function
  | None -> ()
  | Some n ->
      n.instance <- None;
      drop_instances n.left;
      drop_instances n.right

(* The transitions of a state, derived on a copy so that the state's term
   stays as it was stored; the successors are built from that copy. *)
let transitions sys t =
  let work = copy t in
  (work, derive sys [] (Some work))

(* A byte string that two terms share exactly when they are equal. *)
let key_of t =
  let b = Buffer.create 256 in
  let rec go = function
    | None -> Buffer.add_char b '.'
    | Some n ->
        Buffer.add_char b
          (match n.kind with
          | KPrefix -> 'p' | KChoice -> 'c' | KDisable -> 'd' | KEnable -> 'e'
          | KHide -> 'h' | KCall -> 'a' | KParallel -> 'q' | KStop -> 's');
        if n.kind = KCall then Buffer.add_string b (string_of_int n.proc);
        Buffer.add_char b '[';
        List.iter (fun g -> Buffer.add_string b g; Buffer.add_char b ',') n.gates;
        Buffer.add_char b '{';
        List.iter
          (fun (e, a) ->
            Buffer.add_string b (string_of_int e);
            Buffer.add_char b ':';
            Buffer.add_string b a;
            Buffer.add_char b ',')
          n.events;
        Buffer.add_char b '(';
        go n.left;
        go n.right;
        Buffer.add_char b ')'
  in
  go (Some t);
  Buffer.contents b

(* ---- Output ---- *)

(* A DOT string literal. *)
let dot_quote s =
  let b = Buffer.create (String.length s + 2) in
  Buffer.add_char b '"';
  String.iter
    (fun c ->
      match c with
      | '"' -> Buffer.add_string b "\\\""
      | '\\' -> Buffer.add_string b "\\\\"
      | '\n' -> Buffer.add_string b "\\n"
      | '\r' -> ()
      | c -> Buffer.add_char b c)
    s;
  Buffer.add_char b '"';
  Buffer.contents b

(* Writes lines with CR LF ends; the last one without a line end when
   last_open is set. *)
let write_lines path ?(last_open = false) lines =
  let oc = open_out_bin path in
  let n = List.length lines in
  List.iteri
    (fun i l ->
      output_string oc l;
      if i < n - 1 || not last_open then output_string oc "\r\n")
    lines;
  close_out oc
